<profile>
	<header>
		<id><![CDATA[Hand]]></id>
		<driverversion>01000000</driverversion>
		<family>kv</family>
		<group>profileall</group>
		<profileid>hand-00000000000000001</profileid>
	</header>
	<database>
		<d i='contrast'><fb11>3</fb11><fbx>4</fbx><fb-1>5</fb-1><q>6</q><fb00>9</fb00></d>
		<d><fb00>1</fb00></d>
		<d i='nosuchlexicon'><m>1</m></d>
	</database>
</profile>
